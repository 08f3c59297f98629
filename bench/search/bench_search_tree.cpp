// Writes the benchmark's search tree into a folder, for looking at or timing by hand.

#include "SearchTree.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("Usage: bench_search_tree DIR (DIR missing or empty)\n", stderr);
        return 2;
    }
    SearchTreeCounts counts;
    if (!WriteSearchTree(QFile::decodeName(argv[1]), SearchTreeShape(), counts))
        return 1;
    std::printf("%d folders, %d documents (%d reserved), %d other files\n", counts.folders,
                counts.documents, counts.reserved, counts.otherFiles);
    return 0;
}
