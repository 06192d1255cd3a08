// errno values of the POSIX backend; the Windows backend has the DOS codes already.
#include "platform/posix/errno_map.h"

#include <sys/stat.h>

#include <cerrno>

namespace nx {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

ResultCode resultFromErrno(int err, const std::string& hostPath) {
    switch (err) {
        case 0: return kOk;
        case ENOENT: return isDirectory(parentOf(hostPath)) ? kFileNotFound : kPathNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return kAccessDenied;
        case EMFILE:
        case ENFILE: return kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return kDiskFull;
        case EWOULDBLOCK:
        case EBUSY:
        case ETXTBSY: return kSharingViolation;
        case EBADF: return kFileNotOpen;
        default: return kGeneralFailure;
    }
}

}  // namespace nx
