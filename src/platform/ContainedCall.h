// Calls into code that camcab does not own, a chained module: an exception raised there on
// purpose ends that call and goes no further.
#pragma once

#include <type_traits>

namespace camcab::platform {

// Runs `call(context)`; false when an exception left it. Contained: any C++ exception, and on
// Windows any exception that software raises on purpose, whichever compiler built it (the C++
// exceptions of MSVC and of .NET, Delphi's, a missing delay-loaded DLL). Not contained: the
// processor's and the system's faults (an access violation, a stack overflow, a corrupted
// heap). Code that faults has left memory in a state nobody knows; it goes on to the host as
// it would without camcab.
bool CallContained(void (*call)(void*), void* context) noexcept;

// Runs `call()` contained; false when an exception left it.
template <typename Call>
bool Contained(Call&& call) noexcept {
    using Callable = std::remove_reference_t<Call>;
    return CallContained([](void* context) { (*static_cast<Callable*>(context))(); }, &call);
}

}  // namespace camcab::platform
