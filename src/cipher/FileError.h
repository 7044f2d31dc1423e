// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Why a file was not transformed, from the core up: each face turns it into its own words in one place (the window's
// FileInWork::failFile, the command line's describe()). Either an error, as the platform reports it (its error number,
// errno, and that number's description) or as Zafrel refuses a file where the platform has words that come close; or
// a refusal before any work, for a reason of Zafrel's own that has no error number.
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

    // A file refused before any work: no error, so the window shows no message for it.
    enum Refusal
    {
        NotRefused,
        TooSmall, // fewer than 2 bytes
        NoKey, // the key is empty
    };

    int number = 0;
    QString description;
    Subject subject = Input;
    Refusal refusal = NotRefused;

    // Whether anything failed, an error or a refusal.
    [[nodiscard]] bool isError() const { return number != 0 || refusal != NotRefused; }
    [[nodiscard]] bool isRefusal() const { return refusal != NotRefused; }
    [[nodiscard]] FileError about(Subject what) const { return {number, description, what, refusal}; }

    // The platform's description of errno value `number`, e.g. 2 -> "No such file or directory".
    [[nodiscard]] static FileError fromErrno(int number);

    // Refusals of Zafrel's own, which the platform has no words for; each carries the nearest errno value.
    // The output name leads, through links or as another name of the same file, to the input itself.
    [[nodiscard]] static FileError outputIsInput();
    // Removing the last four characters would leave no name in the input's own folder.
    [[nodiscard]] static FileError nameTooShort();
    // The input's size or contents changed after it was measured or opened.
    [[nodiscard]] static FileError inputChanged();

    // "File Too small": a file or stream of 0 or 1 byte is never transformed.
    [[nodiscard]] static FileError tooSmall();
    // "No key given!": an empty key is no key, and never reaches the XOR.
    [[nodiscard]] static FileError noKey();
};
