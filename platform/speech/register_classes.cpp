#include "platform/speech/register_classes.h"

#include <mutex>

#include "platform/speech/file_stream.h"
#include "platform/speech/voice.h"
#include "platform/speech/voice_tokens.h"

namespace lexavo::sp {

void RegisterPlatformClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterClassFactory(CLSID_SpVoice, [](REFIID iid, void** ppv) { return CreateSpVoice(iid, ppv); });
        RegisterClassFactory(CLSID_SpObjectTokenCategory, &CreateSpObjectTokenCategory);
        RegisterClassFactory(CLSID_SpStream, &CreateSpStream);
    });
}

}  // namespace lexavo::sp
