#include "platform/glib/glib_callback_exceptions.h"

namespace {

GlibCallbackExceptionHandler installedHandler = nullptr;

} // namespace

void SetGlibCallbackExceptionHandler(GlibCallbackExceptionHandler handler)
{
    installedHandler = handler;
}

void HandleGlibCallbackException(std::exception_ptr error)
{
    if (installedHandler == nullptr)
        std::terminate();
    installedHandler(error);
}
