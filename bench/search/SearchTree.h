#pragma once

#include <QString>

// The shape of a generated search tree.
struct SearchTreeShape
{
    int areas = 20;        // folders directly below the root
    int cellsPerArea = 99; // folders below each area (20 + 20 * 99 = 2,000 folders)
    int documentsPerFolder = 10;
    int reservedPerFolder = 1; // of the documents, each with its hidden reservation record
    int otherFilesPerFolder = 39;
    int wideFolderEntries = 0; // one more folder holding this many files, a fifth documents
    int depth = 0;             // a chain of this many folders with one document at its end
};

struct SearchTreeCounts
{
    int folders = 0;
    int documents = 0;
    int reserved = 0;
    int otherFiles = 0; // reservation records included
};

// Writes a tree of Korvex documents (parts, assemblies, drawings with Scrivo metadata,
// under 1 KiB each) and other files into root, which must be missing or empty. The default
// shape gives 100,000 files (20,000 documents, a tenth of them reserved) in 2,000 folders.
// Returns false with a message on stderr when a file cannot be written.
bool WriteSearchTree(const QString &root, const SearchTreeShape &shape, SearchTreeCounts &counts);
