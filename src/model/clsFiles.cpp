#include "model/clsFiles.h"

#include "model/ReleaseElsewhere.h"

int clsFiles::Search(const QString &Name)
{
    int position = 1;
    for (const clsFilePtr &record : std::as_const(records)) {
        if (record->FileName() == Name)
            return position;
        ++position;
    }
    return -1;
}

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

void clsFiles::Remove(int Index)
{
    checkIndex(Index);
    records.removeAt(Index - 1);
}

void clsFiles::Clear()
{
    ReleaseElsewhere(std::exchange(records, {}));
}
