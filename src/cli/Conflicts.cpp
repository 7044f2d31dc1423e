// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Conflicts.h"

#include "cipher/FileTransform.h"
#include "cipher/OutputFile.h"
#include "cli/Console.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <fcntl.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray identity(dev_t device, ino_t inode)
{
    return QByteArray::number(quint64(device)) + ':' + QByteArray::number(quint64(inode));
}

// Where an output lands: its folder's identity and its name there. Empty when it cannot be found: the transform
// then fails the file and says why.
struct Landing
{
    QByteArray place;
    QByteArray existing; // the identity of the file that has the name now, if any
};

Landing landingOf(const QString& output)
{
    OutputPlace place;
    struct stat info
    {
    };
    if (output.isEmpty() || locateOutput(QFile::encodeName(output), place).isError()
        || ::fstat(place.folder.get(), &info) != 0)
        return {};
    Landing landing {identity(info.st_dev, info.st_ino) + '/' + place.name, {}};
    if (::fstatat(place.folder.get(), place.name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        landing.existing = identity(info.st_dev, info.st_ino);
    return landing;
}

const QString BothLeftAlone = u"; both left alone"_s;

} // namespace

void refuseConflicts(QList<Input>& inputs, const Options& options)
{
    if (!options.output.isEmpty())
        return;
    QList<QString> outputs(inputs.size());
    QList<Landing> landings(inputs.size());
    QHash<QByteArray, qsizetype> writers; // the last input found that writes each place
    QHash<QByteArray, qsizetype> byIdentity;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        if (inputs.at(i).error.isError())
            continue;
        outputs[i] = outputPath(inputs.at(i).path, options.encrypt);
        landings[i] = landingOf(outputs.at(i));
        if (!landings.at(i).place.isEmpty())
            writers.insert(landings.at(i).place, i);
        byIdentity.insert(identity(inputs.at(i).device, inputs.at(i).inode), i);
    }

    QList<QString> problems(inputs.size());
    const auto refuse = [&problems](qsizetype i, const QString& problem) {
        if (problems.at(i).isEmpty())
            problems[i] = problem + BothLeftAlone;
    };
    const auto shownPath = [&inputs](qsizetype i) {
        return Console::shown(inputs.at(i).path);
    };
    const auto shownOutput = [&outputs](qsizetype i) {
        return Console::shown(outputs.at(i));
    };
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        if (landings.at(i).place.isEmpty())
            continue;
        if (const qsizetype other = writers.value(landings.at(i).place); other != i) {
            refuse(i, u"its output %1 is the output of %2 too"_s.arg(shownOutput(i), shownPath(other)));
            refuse(other, u"its output %1 is the output of %2 too"_s.arg(shownOutput(other), shownPath(i)));
        }
        const qsizetype read = byIdentity.value(landings.at(i).existing, i);
        if (!landings.at(i).existing.isEmpty() && read != i) {
            refuse(i, u"its output %1 is the input %2"_s.arg(shownOutput(i), shownPath(read)));
            refuse(read, u"it is the output of %1"_s.arg(shownPath(i)));
        }
    }
    for (qsizetype i = 0; i < inputs.size(); ++i)
        if (!problems.at(i).isEmpty())
            inputs[i].error = {EEXIST, problems.at(i)};
}
