// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/CommandLine.h"

#include "cipher/FileTransform.h"
#include "cipher/FolderWalk.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

CommandLine usage(const QString& problem)
{
    CommandLine line;
    line.kind = CommandLine::Usage;
    line.problem = problem;
    return line;
}

// The path the kernel will open from the working folder. "." and doubled slashes go; a ".." stays, since it leads
// back from wherever a link before it points, and so does a slash at the end, which asks for a folder.
QString absolute(const QDir& folder, const QString& argument)
{
    const QString path = folder.absoluteFilePath(argument);
    if (path.endsWith(u'/') || path.split(u'/').contains(u".."_s))
        return path;
    return QDir::cleanPath(path);
}

} // namespace

bool CommandLine::encryptMode() const
{
    if (encrypt)
        return *encrypt;
    bool anyFile = false;
    for (const QString& path : files) {
        if (!QFileInfo(path).isDir()) {
            if (!hasEncryptedName(path))
                return true;
            anyFile = true;
            continue;
        }
        FolderWalk walk(path, true);
        while (const std::optional<FoundFile> found = walk.next()) {
            if (found->error.isError())
                continue;
            if (!hasEncryptedName(found->path))
                return true;
            anyFile = true;
        }
    }
    return !anyFile;
}

CommandLine CommandLine::parse(const QStringList& arguments, const QString& workingFolder)
{
    QCommandLineParser parser;
    // Qt's options are words after a single dash.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption encrypt(u"encrypt"_s, {});
    const QCommandLineOption decrypt(u"decrypt"_s, {});
    const QCommandLineOption help({u"h"_s, u"help"_s}, {});
    const QCommandLineOption version(u"version"_s, {});
    parser.addOptions({encrypt, decrypt, help, version});
    // Qt's own options, which QApplication takes from the same command line: a desktop session brings a window back
    // with "-session ID", and "-style NAME" or "-reverse" are the user's to give.
    for (const QString& name : u"style stylesheet platform platformpluginpath platformtheme plugin qwindowgeometry "
                               "qwindowicon qwindowtitle session display geometry"_s.split(u' '))
        parser.addOption(QCommandLineOption(name, {}, u"VALUE"_s));
    for (const QString& name : {u"reverse"_s, u"widgetcount"_s})
        parser.addOption(QCommandLineOption(name, {}));

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    CommandLine line;
    if (parser.isSet(help)) {
        line.kind = CommandLine::Help;
        return line;
    }
    if (parser.isSet(version)) {
        line.kind = CommandLine::Version;
        return line;
    }
    if (parser.isSet(encrypt) && parser.isSet(decrypt))
        return usage(u"give --encrypt or --decrypt, not both"_s);
    if (parser.isSet(encrypt) || parser.isSet(decrypt))
        line.encrypt = parser.isSet(encrypt);
    const QDir folder(workingFolder);
    for (const QString& argument : parser.positionalArguments())
        line.files.append(absolute(folder, argument));
    return line;
}

QString CommandLine::helpText()
{
    return uR"(Usage: zafrel [--encrypt | --decrypt] [FILE]...
Open Zafrel's window, to encrypt or decrypt files with a key. Each FILE is
queued as Add... would queue it, and a folder as the files in it and in its
subfolders: every file to encrypt, those whose names end in .enc to decrypt
(links in it are not followed, nor anything but plain files taken). The files
are queued to be decrypted when every FILE's name, and every file found in a
folder, ends in .enc, else to be encrypted, unless an option says which. A FILE
that is no existing file or folder, and a folder with nothing to take, are left
out and named.

When a Zafrel window of yours is open on this display already, the FILEs join
its queue instead, and it comes to the front.

      --encrypt  queue the FILEs to be encrypted
      --decrypt  queue the FILEs to be decrypted
  -h, --help     show this help and exit
      --version  show the version and exit

Exit status:
  0  the window was closed, or the open window took every FILE
  1  there is no display, or the open window did not take every FILE: it is
     running that mode, or a FILE is no existing file
  2  the command line was refused

Full documentation: man zafrel
)"_s;
}
