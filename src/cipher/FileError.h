// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// A failure as the platform reports it: its error number (errno) and that number's description.
struct FileError
{
    // What failed: the file read, the output's name (or the file that has it), or the output's folder (where the
    // bytes are written until they get the output's name). The window names the input in every case.
    enum Subject
    {
        Input,
        Output,
        OutputFolder,
    };

    int number = 0;
    QString description;
    Subject subject = Input;

    [[nodiscard]] bool isError() const { return number != 0; }
    [[nodiscard]] FileError about(Subject what) const { return {number, description, what}; }

    // The platform's description of errno value `number`, e.g. 2 -> "No such file or directory".
    [[nodiscard]] static FileError fromErrno(int number);

    // Refusals of Zafrel's own, which the platform has no words for; each carries the nearest errno value.
    // The output name leads, through links or as another name of the same file, to the input itself.
    [[nodiscard]] static FileError outputIsInput();
    // Removing the last four characters would leave no name in the input's own folder.
    [[nodiscard]] static FileError nameTooShort();
    // The input's size or contents changed after it was measured or opened.
    [[nodiscard]] static FileError inputChanged();
};
