#include "platform/speech/com_runtime.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/speech/sapi.h"

namespace lexavo::sp {
namespace {

TEST(ComRuntime, InitialisationIsCountedPerThread) {
    EXPECT_EQ(CoInitializeCount(), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeCount(), 2);
    std::thread([] { EXPECT_EQ(CoInitializeCount(), 0); }).join();
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();  // one too many is harmless
    EXPECT_EQ(CoInitializeCount(), 0);
}

TEST(ComRuntime, CreateInstanceRefusals) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL_LOCAL, IID_ISpStream, &out), CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
    CoInitialize(nullptr);
    const CLSID unknown{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL_LOCAL, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL_LOCAL, IID_ISpVoice, &out), E_NOINTERFACE);
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL_LOCAL, IID_ISpStream, nullptr), E_POINTER);
    ASSERT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL_LOCAL, IID_ISpStream, &out), S_OK);
    auto* stream = static_cast<ISpStream*>(out);
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, stream, CLSCTX_ALL_LOCAL, IID_ISpStream, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(stream->Release(), 0u);
    CoUninitialize();
}

TEST(ComRuntime, WideStringsKeepTheirLength) {
    BSTR s = SysAllocString(u"中文abc");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    EXPECT_EQ(std::u16string(s), u"中文abc");
    SysFreeString(s);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

}  // namespace
}  // namespace lexavo::sp
