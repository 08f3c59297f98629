#include "model/clsFiles.h"

#include "model/ReleaseElsewhere.h"

void clsFiles::checkIndex(int Index) const
{
    if (Index < 1 || Index > Count())
        throw std::out_of_range("clsFiles: position " + std::to_string(Index) + " is outside 1.." +
                                std::to_string(Count()));
}

clsFilePtr clsFiles::Item(int Index) const
{
    checkIndex(Index);
    return records.at(Index - 1);
}

void clsFiles::Clear()
{
    ReleaseElsewhere(std::exchange(records, {}));
}
