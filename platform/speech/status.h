// Every HRESULT the speech platform hands out, with one message function.
#pragma once

#include <string>

#include "platform/speech/com_types.h"

namespace lexavo::sp {

constexpr HRESULT HresultFromWin32(std::uint32_t code) {
    return code == 0 ? 0 : static_cast<HRESULT>(0x80070000u | (code & 0xFFFFu));
}

enum class Status : HRESULT {
    Ok = 0,
    False = 1,
    NotImplemented = static_cast<HRESULT>(0x80004001u),
    NoInterface = static_cast<HRESULT>(0x80004002u),
    NullPointer = static_cast<HRESULT>(0x80004003u),
    Fail = static_cast<HRESULT>(0x80004005u),
    OutOfMemory = static_cast<HRESULT>(0x8007000Eu),
    InvalidArg = static_cast<HRESULT>(0x80070057u),
    AccessDenied = static_cast<HRESULT>(0x80070005u),
    FileNotFound = HresultFromWin32(2),
    PathNotFound = HresultFromWin32(3),
    WriteProtected = HresultFromWin32(19),
    ReadFault = HresultFromWin32(30),
    FileExists = HresultFromWin32(80),
    DiskFull = HresultFromWin32(112),
    InvalidName = HresultFromWin32(123),
    FileTooLarge = HresultFromWin32(223),
    NoUnicodeTranslation = HresultFromWin32(1113),
    NoAggregation = static_cast<HRESULT>(0x80040110u),
    ClassNotRegistered = static_cast<HRESULT>(0x80040154u),
    NotInitialized = static_cast<HRESULT>(0x800401F0u),
    SpUninitialized = static_cast<HRESULT>(0x80045001u),
    SpAlreadyInitialized = static_cast<HRESULT>(0x80045002u),
    SpUnsupportedFormat = static_cast<HRESULT>(0x80045003u),
    SpInvalidFlags = static_cast<HRESULT>(0x80045004u),
    SpNotFound = static_cast<HRESULT>(0x8004503Au),
    // Outcomes of this platform that have no standard code.
    MalformedMarkup = static_cast<HRESULT>(0x80045100u),
    AudioUnavailable = static_cast<HRESULT>(0x80045101u),
    EngineFailed = static_cast<HRESULT>(0x80045102u),
    IsAFolder = static_cast<HRESULT>(0x80045103u),
    NotARegularFile = static_cast<HRESULT>(0x80045104u),
    ReadOnlyFile = static_cast<HRESULT>(0x80045105u),
    DanglingLink = static_cast<HRESULT>(0x80045106u),
    WaveTooLong = static_cast<HRESULT>(0x80045107u),
    TextFileTooLarge = static_cast<HRESULT>(0x80045108u),
    MarkupRefused = static_cast<HRESULT>(0x80045109u),
    AudioTimedOut = static_cast<HRESULT>(0x8004510Au),
};

constexpr HRESULT ToHresult(Status s) { return static_cast<HRESULT>(s); }

inline constexpr HRESULT S_OK = ToHresult(Status::Ok);
inline constexpr HRESULT S_FALSE = ToHresult(Status::False);
inline constexpr HRESULT E_NOTIMPL = ToHresult(Status::NotImplemented);
inline constexpr HRESULT E_NOINTERFACE = ToHresult(Status::NoInterface);
inline constexpr HRESULT E_POINTER = ToHresult(Status::NullPointer);
inline constexpr HRESULT E_FAIL = ToHresult(Status::Fail);
inline constexpr HRESULT E_OUTOFMEMORY = ToHresult(Status::OutOfMemory);
inline constexpr HRESULT E_INVALIDARG = ToHresult(Status::InvalidArg);
inline constexpr HRESULT E_ACCESSDENIED = ToHresult(Status::AccessDenied);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = ToHresult(Status::NoAggregation);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = ToHresult(Status::ClassNotRegistered);
inline constexpr HRESULT CO_E_NOTINITIALIZED = ToHresult(Status::NotInitialized);
inline constexpr HRESULT SPERR_UNINITIALIZED = ToHresult(Status::SpUninitialized);
inline constexpr HRESULT SPERR_ALREADY_INITIALIZED = ToHresult(Status::SpAlreadyInitialized);
inline constexpr HRESULT SPERR_UNSUPPORTED_FORMAT = ToHresult(Status::SpUnsupportedFormat);
inline constexpr HRESULT SPERR_INVALID_FLAGS = ToHresult(Status::SpInvalidFlags);
inline constexpr HRESULT SPERR_NOT_FOUND = ToHresult(Status::SpNotFound);

// The HRESULT for a failed system call's errno.
HRESULT HresultFromErrno(int err);

// A short English sentence naming the outcome, for messages to a person.
std::string StatusMessage(HRESULT hr);

}  // namespace lexavo::sp
