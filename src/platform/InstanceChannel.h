// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

class QLocalServer;

namespace Platform {

// Files that a later start of Zafrel hands to the window already open for the same user and display.
struct Handover
{
    bool encrypt = true;
    QStringList paths; // absolute
};

// The open window's answer: the files were taken, or refused for the reason given.
struct HandoverReply
{
    bool accepted = false;
    QString refusal;
};

// The channel between two starts of Zafrel: a local socket in the user's private runtime folder, one per user and
// display. Only the same user gets in: the folder is the user's alone, the socket is the owner's only, and the
// window drops every connection whose peer is somebody else. A connection carries one message each way, each a
// length (4 bytes, big-endian, at most 1 MiB) and that many bytes: "ZFRL", the version (1), the kind ('E' or 'D'
// for files to encrypt or decrypt, each absolute path in UTF-8 followed by a NUL; 'K' for taken, 'R' for refused,
// followed by the reason in UTF-8). A message that breaks any of this, or does not arrive whole within a few
// seconds, is dropped without an answer and without effect.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    using Receiver = std::function<HandoverReply(const Handover&)>;

    // Where the channel of this user and display lives, or nothing when the user has no private runtime folder.
    [[nodiscard]] static QString address();

    // Hands `files` to the window listening at `address`. Nothing when no window answers within a few seconds.
    [[nodiscard]] static std::optional<HandoverReply> handOver(const QString& address, const Handover& files);

    // The open window's end: every proper message goes to `receiver`, whose reply goes back.
    InstanceChannel(Receiver receiver, QObject* parent);

    // Listens at `address` unless another window does already; a socket left behind by a window that ended
    // without closing it (a crash, a SIGKILL) is removed first. Gives why it could not listen where it should have
    // (the socket's error); nothing when it listens, when another window does, or when there is no address.
    [[nodiscard]] QString listen(const QString& address);

private:
    void accept();

    Receiver m_receiver;
    QLocalServer* m_server;
};

// Whose window it is to be. Two starts at the same moment (a file manager starts one for the folders selected and one
// for the files) would each find no window listening and open one of their own: a start holds the claim from its
// attempt to hand its files over until it has handed them over, or until its own window listens. The claim is a
// lock on a file beside the channel's socket, which the kernel lets go when its holder ends, however it ends.
class InstanceClaim
{
public:
    // Waits until no other start of this user and display holds the claim for `address`, and holds it; after a few
    // seconds it stops waiting and holds nothing, as it does without an address: the start goes on as if alone.
    explicit InstanceClaim(const QString& address);
    ~InstanceClaim();
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;

    void release();

private:
    int m_lock = -1;
};

} // namespace Platform
