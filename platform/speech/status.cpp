#include "platform/speech/status.h"

#include <cerrno>
#include <cstdio>

namespace lexavo::sp {

HRESULT HresultFromErrno(int err) {
    switch (err) {
        case 0: return S_OK;
        case ENOENT: return ToHresult(Status::FileNotFound);
        case ENOTDIR: return ToHresult(Status::PathNotFound);
        case EACCES:
        case EPERM:
        case ETXTBSY: return E_ACCESSDENIED;
        case EROFS: return ToHresult(Status::WriteProtected);
        case EISDIR: return ToHresult(Status::IsAFolder);
        case EEXIST: return ToHresult(Status::FileExists);
        case EFBIG: return ToHresult(Status::FileTooLarge);
        case EIO: return ToHresult(Status::ReadFault);
        case ENOSPC:
        case EDQUOT: return ToHresult(Status::DiskFull);
        case ENAMETOOLONG:
        case EILSEQ: return ToHresult(Status::InvalidName);
        case ENOMEM: return E_OUTOFMEMORY;
        case EINVAL: return E_INVALIDARG;
        default: return E_FAIL;
    }
}

std::string StatusMessage(HRESULT hr) {
    switch (static_cast<Status>(hr)) {
        case Status::Ok: return "success";
        case Status::False: return "success, nothing to do";
        case Status::NotImplemented: return "not implemented";
        case Status::NoInterface: return "interface not supported";
        case Status::NullPointer: return "a required pointer is null";
        case Status::Fail: return "unspecified failure";
        case Status::OutOfMemory: return "out of memory";
        case Status::InvalidArg: return "invalid argument";
        case Status::AccessDenied: return "access denied";
        case Status::FileNotFound: return "file not found";
        case Status::PathNotFound: return "the folder does not exist";
        case Status::WriteProtected: return "the file system is read-only";
        case Status::ReadFault: return "an input/output error";
        case Status::FileExists: return "a file of that name exists";
        case Status::DiskFull: return "the disk is full";
        case Status::InvalidName: return "the file name is not valid";
        case Status::FileTooLarge: return "the file is larger than the file system allows";
        case Status::NoUnicodeTranslation: return "text cannot be converted";
        case Status::NoAggregation: return "aggregation not supported";
        case Status::ClassNotRegistered: return "class not registered (the speech engine is not available)";
        case Status::NotInitialized: return "the speech platform is not initialised on this thread";
        case Status::SpUninitialized: return "the object is not initialised";
        case Status::SpAlreadyInitialized: return "the object is already initialised";
        case Status::SpUnsupportedFormat: return "unsupported audio format";
        case Status::SpInvalidFlags: return "invalid flags";
        case Status::SpNotFound: return "the voice or value asked for was not found";
        case Status::MalformedMarkup: return "malformed markup";
        case Status::AudioUnavailable: return "the audio output is not available";
        case Status::EngineFailed: return "the speech engine failed";
        case Status::IsAFolder: return "it is a folder";
        case Status::NotARegularFile: return "it is not a regular file (a device, a pipe or a socket)";
        case Status::ReadOnlyFile: return "the file is read-only";
        case Status::DanglingLink: return "it is a link to a file that does not exist";
        case Status::WaveTooLong: return "the audio is longer than a wave file can hold (4 GiB)";
        case Status::TextFileTooLarge: return "the text file is larger than 32 MiB";
        case Status::AudioTimedOut: return "the sound server did not answer in time";
        case Status::MarkupRefused:
            return "the markup reaches outside the text (audio, a URI, an unknown voice, or a tag too long or too deep)";
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "error 0x%08X", static_cast<unsigned>(hr));
    return buf;
}

}  // namespace lexavo::sp
