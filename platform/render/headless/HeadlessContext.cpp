#include "platform/render/headless/HeadlessContext.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <stdexcept>

namespace gloam::render {

struct HeadlessContext::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};

namespace {

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("headless OpenGL unavailable: ") + what + " (EGL error 0x" + [] {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%x", eglGetError());
        return std::string(buffer);
    }() + ")");
}

} // namespace

HeadlessContext::HeadlessContext()
    : state_(std::make_unique<State>())
{
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        fail("EGL_MESA_platform_surfaceless is missing");
    }
    state_->display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (state_->display == EGL_NO_DISPLAY)
        fail("no surfaceless display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(state_->display, &major, &minor))
        fail("eglInitialize failed");
    if (!eglBindAPI(EGL_OPENGL_API))
        fail("eglBindAPI(OpenGL) failed");

    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    // Surfaceless contexts need no config; take one when offered, else none.
    if (!eglChooseConfig(state_->display, configAttributes, &config, 1, &count) || count == 0)
        config = nullptr;

    const EGLint contextAttributes[] = {
        EGL_CONTEXT_MAJOR_VERSION,           4,       EGL_CONTEXT_MINOR_VERSION, 5, EGL_CONTEXT_OPENGL_PROFILE_MASK,
        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    state_->context = eglCreateContext(state_->display, config, EGL_NO_CONTEXT, contextAttributes);
    if (state_->context == EGL_NO_CONTEXT) {
        eglTerminate(state_->display);
        fail("no OpenGL 4.5 core context");
    }
    makeCurrent();
}

HeadlessContext::~HeadlessContext()
{
    if (state_->display != EGL_NO_DISPLAY) {
        eglMakeCurrent(state_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (state_->context != EGL_NO_CONTEXT)
            eglDestroyContext(state_->display, state_->context);
        eglTerminate(state_->display);
    }
}

void HeadlessContext::makeCurrent()
{
    if (!eglMakeCurrent(state_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, state_->context)) {
        fail("eglMakeCurrent failed");
    }
}

void HeadlessContext::release()
{
    eglMakeCurrent(state_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

std::string HeadlessContext::description() const
{
    auto text = [](GLenum name) {
        const auto* value = reinterpret_cast<const char*>(glGetString(name));
        return std::string(value ? value : "?");
    };
    return "OpenGL " + text(GL_VERSION) + " on " + text(GL_RENDERER);
}

} // namespace gloam::render
