#pragma once

#include "model/clsFile.h"

#include <QList>
#include <QSet>
#include <memory>
#include <stdexcept>

// The ordered, 1-based collection of the records of the current list.
class clsFiles
{
public:
    int Count() const { return static_cast<int>(records.size()); }

    void Add(clsFilePtr oFile) { records.append(std::move(oFile)); }

    // The stored record itself. Throws std::out_of_range outside 1..Count.
    clsFilePtr Item(int Index) const;

    // Empties the collection; what its records hold is freed on another thread.
    void Clear();

private:
    void checkIndex(int Index) const;

    QList<clsFilePtr> records;
};
