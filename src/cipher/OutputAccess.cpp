// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/OutputAccess.h"

#include "cipher/OutputFile.h"

#include <QList>
#include <acl/libacl.h>
#include <cerrno>
#include <sys/acl.h>
#include <unistd.h>

namespace {

// Read, write and execute as the three bits of a mode's class: 4, 2, 1.
using Permissions = int;
constexpr Permissions ReadWrite = 6;

// An access list of libacl, freed when it goes out of scope.
class AccessList
{
public:
    explicit AccessList(acl_t acl)
        : m_acl(acl)
    { }
    ~AccessList()
    {
        if (m_acl)
            acl_free(m_acl);
    }
    AccessList(const AccessList&) = delete;
    AccessList& operator=(const AccessList&) = delete;

    [[nodiscard]] acl_t get() const { return m_acl; }

private:
    acl_t m_acl;
};

struct NamedEntry
{
    acl_tag_t tag; // ACL_USER or ACL_GROUP
    id_t id;
    Permissions permissions;
};

// Who may do what with a file, as its access list says, each entry already limited by the list's mask.
struct Access
{
    Permissions owner = 0;
    Permissions group = 0;
    Permissions other = 0;
    QList<NamedEntry> named;

    [[nodiscard]] bool extended() const { return !named.isEmpty(); }

    // What everybody but the owner may do at least, whatever entry of the list they fall under.
    [[nodiscard]] Permissions leastForOthers() const
    {
        Permissions least = group & other;
        for (const NamedEntry& entry : named)
            least &= entry.permissions;
        return least;
    }

    void narrowOthersTo(Permissions most)
    {
        group &= most;
        other &= most;
        for (NamedEntry& entry : named)
            entry.permissions &= most;
    }

    [[nodiscard]] mode_t mode() const { return mode_t(owner << 6 | group << 3 | other); }
};

Permissions permissionsOf(acl_entry_t entry)
{
    acl_permset_t set = nullptr;
    if (acl_get_permset(entry, &set) != 0)
        return 0;
    return (acl_get_perm(set, ACL_READ) == 1 ? 4 : 0) | (acl_get_perm(set, ACL_WRITE) == 1 ? 2 : 0)
        | (acl_get_perm(set, ACL_EXECUTE) == 1 ? 1 : 0);
}

// The access list of an open file; on a file system that keeps none, the one its mode bits make.
FileError readAccess(int fd, mode_t mode, Access& access)
{
    access = {Permissions(mode >> 6 & 7), Permissions(mode >> 3 & 7), Permissions(mode & 7), {}};
    const AccessList list(acl_get_fd(fd));
    if (!list.get())
        return errno == EOPNOTSUPP ? FileError() : FileError::fromErrno(errno);
    Permissions mask = 7;
    acl_entry_t entry = nullptr;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(list.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        acl_get_tag_type(entry, &tag);
        const Permissions permissions = permissionsOf(entry);
        switch (tag) {
        case ACL_USER_OBJ:
            access.owner = permissions;
            break;
        case ACL_GROUP_OBJ:
            access.group = permissions;
            break;
        case ACL_OTHER:
            access.other = permissions;
            break;
        case ACL_MASK:
            mask = permissions;
            break;
        case ACL_USER:
        case ACL_GROUP:
            if (auto* id = static_cast<id_t*>(acl_get_qualifier(entry))) {
                access.named.append({tag, *id, permissions});
                acl_free(id);
            }
            break;
        default:
            break;
        }
    }
    access.group &= mask;
    for (NamedEntry& named : access.named)
        named.permissions &= mask;
    return {};
}

bool addEntry(acl_t* list, acl_tag_t tag, Permissions permissions, const id_t* id = nullptr)
{
    acl_entry_t entry = nullptr;
    acl_permset_t set = nullptr;
    if (acl_create_entry(list, &entry) != 0 || acl_set_tag_type(entry, tag) != 0
        || (id && acl_set_qualifier(entry, id) != 0) || acl_get_permset(entry, &set) != 0 || acl_clear_perms(set) != 0)
        return false;
    for (const auto& [bit, perm] : {std::pair {4, ACL_READ}, {2, ACL_WRITE}, {1, ACL_EXECUTE}}) {
        if ((permissions & bit) && acl_add_perm(set, perm) != 0)
            return false;
    }
    return acl_set_permset(entry, set) == 0;
}

// Sets the whole list, so that nothing the folder's default list put there survives; a list without named
// entries comes down to the mode bits. Where the file system keeps no lists, the mode bits alone.
FileError writeAccess(int fd, const Access& access)
{
    acl_t raw = acl_init(int(access.named.size()) + 4);
    bool built = raw && addEntry(&raw, ACL_USER_OBJ, access.owner) && addEntry(&raw, ACL_GROUP_OBJ, access.group)
        && addEntry(&raw, ACL_OTHER, access.other);
    for (const NamedEntry& entry : access.named)
        built = built && addEntry(&raw, entry.tag, entry.permissions, &entry.id);
    const AccessList list(raw);
    if (!built || (access.extended() && acl_calc_mask(&raw) != 0))
        return FileError::fromErrno(errno);
    if (acl_set_fd(fd, raw) == 0)
        return {};
    if (errno != EOPNOTSUPP)
        return FileError::fromErrno(errno);
    return ::fchmod(fd, access.mode()) == 0 ? FileError() : FileError::fromErrno(errno);
}

} // namespace

FileError grantAccess(int output, int input, const struct stat& inputInfo, const ReplacedFile& replaced)
{
    Access access;
    if (const FileError error = readAccess(input, inputInfo.st_mode, access); error.isError())
        return error;
    access.owner |= ReadWrite;

    // The group a new file gets is this user's, or a setgid folder's: its members were never asked about.
    struct stat outputInfo
    {
    };
    if (::fchown(output, uid_t(-1), inputInfo.st_gid) != 0 || ::fstat(output, &outputInfo) != 0
        || outputInfo.st_gid != inputInfo.st_gid) {
        // Its members may or may not be among the input's group, and so may those who fall under "other".
        access.other &= access.group;
        access.group = 0;
    }

    if (replaced.exists()) {
        Access old;
        if (const FileError error = readAccess(replaced.file.get(), replaced.info.st_mode, old); error.isError())
            return error;
        // With the same group and no named entries on either side, each class meets the same people in both
        // files. Otherwise anybody may fall under any entry of the old file: the least of them is the most.
        if (!access.extended() && !old.extended() && replaced.info.st_gid == inputInfo.st_gid
            && outputInfo.st_gid == inputInfo.st_gid) {
            access.group &= old.group;
            access.other &= old.other;
        } else {
            access.narrowOthersTo(old.leastForOthers());
        }
    }
    return writeAccess(output, access);
}

FileError restrictToOwner(int output)
{
    return writeAccess(output, {ReadWrite, 0, 0, {}});
}
