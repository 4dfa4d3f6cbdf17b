#pragma once

#include <exception>
#include <functional>

// Where exceptions go that a handler of the serial component raises on the owner's thread
// (OnOpen, OnError and everything the background threads hand over): they must not unwind
// into the dispatcher that ran the call. One hook for the program; by default a line on
// stderr.
using TSioExceptionHook = std::function<void(std::exception_ptr)>;

// Installs the hook; an empty one restores the line on stderr.
void SetSioExceptionHook(TSioExceptionHook hook);

// Passes the exception to the hook. Never raises.
void SioHandleException(std::exception_ptr exception) noexcept;
