#include "output/video_encoder.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/system.h"

namespace {

// The encoders' module, relative to the running program's folder (set by the build).
constexpr char kModuleFromProgram[] = ORVANE_VIDEO_MODULE;

using EncoderFactory = decltype(&OrvaneOpenVideoEncoder);

struct EncoderModule {
    EncoderFactory open = nullptr;
    std::string error;  // why there is no factory
};

// dlerror's text without the path it may start with, which the message names already.
std::string LoadError(const std::string& path)
{
    const char* pText = dlerror();
    std::string text = pText != nullptr ? pText : "unknown error";
    if (text.compare(0, path.size() + 2, path + ": ") == 0) {
        text.erase(0, path.size() + 2);
    }
    return text;
}

// The module stays loaded until the process ends: FFmpeg's libraries are not made to be
// unloaded, and nothing is gained by it.
EncoderModule Load()
{
    EncoderModule module;
    const std::string program = platform::GetModulePath();
    if (program.empty()) {
        module.error = "cannot find the video encoder: this program's own path is unknown";
        return module;
    }
    const std::string path =
        (std::filesystem::path(program).parent_path() / kModuleFromProgram).lexically_normal();
    void* pModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (pModule == nullptr) {
        module.error = "cannot load " + path + ": " + LoadError(path);
        return module;
    }
    module.open = reinterpret_cast<EncoderFactory>(dlsym(pModule, "OrvaneOpenVideoEncoder"));
    if (module.open == nullptr) {
        module.error = "cannot load " + path + ": " + LoadError(path);
    }
    return module;
}

const EncoderModule& Module()
{
    static const EncoderModule module = Load();
    return module;
}

}  // namespace

bool LoadVideoEncoders(std::string& error)
{
    error = Module().error;
    return Module().open != nullptr;
}

std::unique_ptr<VideoEncoder> OpenVideoEncoder(VideoFormat format, int width, int height,
                                               int framesPerSecond, std::string& error)
{
    if (!LoadVideoEncoders(error)) {
        return nullptr;
    }
    return std::unique_ptr<VideoEncoder>(
        Module().open(format, width, height, framesPerSecond, error));
}
