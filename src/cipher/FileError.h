#pragma once

#include <QString>

// A failure as the platform reports it: its error number (errno) and that number's description.
struct FileError
{
    int number = 0;
    QString description;

    bool isError() const { return number != 0; }

    // The platform's description of errno value `number`, e.g. 2 -> "No such file or directory".
    static FileError fromErrno(int number);
};
