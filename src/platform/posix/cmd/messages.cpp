#include "platform/posix/cmd/messages.h"

#include <cerrno>

namespace vorlan::platform::posix {

CmdError cmd_error_from_errno(int error) {
    switch (error) {
    case 0:
        return CmdError::none;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return CmdError::access_denied;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return CmdError::path_not_found;
    case EEXIST:
        return CmdError::already_exists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return CmdError::disk_full;
    case ENAMETOOLONG:
        return CmdError::name_too_long;
    default:
        return CmdError::device_error;
    }
}

namespace cmd_says {

std::string_view complaint(CmdError error) {
    switch (error) {
    case CmdError::none:
        break;
    case CmdError::onto_itself:
        return "The file cannot be copied onto itself.";
    case CmdError::access_denied:
        return "Access is denied.";
    case CmdError::file_not_found:
        return "The system cannot find the file specified.";
    case CmdError::path_not_found:
        return "The system cannot find the path specified.";
    case CmdError::already_exists:
        return "Cannot create a file when that file already exists.";
    case CmdError::disk_full:
        return "There is not enough space on the disk.";
    case CmdError::name_too_long:
        return "The filename or extension is too long.";
    case CmdError::device_error:
        return "The request could not be performed because of an I/O device error.";
    }
    return "";
}

std::string not_recognized(std::string_view name_as_typed) {
    return "'" + std::string(name_as_typed) +
           "' is not recognized as an internal or external command,\n"
           "operable program or batch file.";
}

std::string xcopy_file_not_found(std::string_view pattern) {
    return "File not found - " + std::string(pattern);
}

std::string copy_count(int files) {
    return "        " + std::to_string(files) + " file(s) copied.";
}

std::string xcopy_count(int files) {
    return std::to_string(files) + " File(s) copied";
}

} // namespace cmd_says
} // namespace vorlan::platform::posix
