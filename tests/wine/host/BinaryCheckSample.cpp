// A small library with the driver's entry point, built once clean and once per defect that the binary
// check of the driver library must find: a compile definition chooses the defect.
#include <windows.h>

#include <cstdint>
#include <string>

extern "C" int __cdecl err(int level, const char* format, ...);

#if defined(SAMPLE_CDECL_ENTRY)
#define SAMPLE_CALL __cdecl
#else
#define SAMPLE_CALL __stdcall
#endif

namespace {

// The request's layout; the driver's header is not included, as it declares DyxMain stdcall.
struct SampleRequest {
    void* State;
    std::uint32_t FunctionCode;
    std::uint32_t HostWords[2];
    void* Params;
};
constexpr std::uint32_t kDone = 0;
constexpr std::uint32_t kRefused = 1;
constexpr std::uint32_t kDescribe = 14;

#if defined(SAMPLE_GLOBAL_CONSTRUCTOR)
// A global object whose constructor runs when the library is loaded.
struct LoadStamp {
    LoadStamp() : Ticks(GetTickCount()) {}
    DWORD Ticks;
};
LoadStamp gLoadStamp;
#endif

#if defined(SAMPLE_TLS_CALLBACK)
void NTAPI SampleTlsCallback(PVOID, DWORD, PVOID) {}
#endif

} // namespace

#if defined(SAMPLE_TLS_CALLBACK)
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK kSampleTlsCallback = SampleTlsCallback;
#endif

#if defined(SAMPLE_OWN_DLLMAIN)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) OutputDebugStringA("sample loaded");
    return TRUE;
}
#endif

#if defined(SAMPLE_HOST_IMPORT)
extern "C" void TarnelReset(void);
#endif

extern "C" __declspec(dllexport) std::uint32_t SAMPLE_CALL DyxMain(const SampleRequest* request) {
    if (request == nullptr) {
        err(32, "DYX%s : %s", "sample", "no request");
        return kRefused;
    }
#if defined(SAMPLE_RUNTIME_DLL)
    const std::string name = "sample";
    if (request->FunctionCode == name.size()) return kDone;
#endif
#if defined(SAMPLE_HOST_IMPORT)
    TarnelReset();
#endif
    return request->FunctionCode == kDescribe ? kDone : kRefused;
}

#if defined(SAMPLE_EXTRA_EXPORT)
extern "C" __declspec(dllexport) std::uint32_t SAMPLE_CALL DyxVersion(void) {
    return 700;
}
#endif
