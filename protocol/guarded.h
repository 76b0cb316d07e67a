#pragma once
// The inbound side's one out-of-memory rule: an operation that can't allocate
// reports it under its label and gives up what it was doing (usually the line
// at hand); nothing is thrown past it to the poll tick.
#include <new>
#include <string_view>
#include <utility>

#include "protocol/handler_context.h"
#include "settings/error_log.h"

namespace kolu {

// `log` may be null (a framer used on its own): the line is then dropped unreported.
template <typename Body>
int guarded(ErrorLog* log, std::u16string_view label, Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        if (log) {
            log->LogError(u"LocalAlloc", label, 0);
        }
    }
    return 1;
}

template <typename Body>
int guarded(HandlerContext& context, std::u16string_view label, Body&& body) {
    return guarded(&context.log, label, std::forward<Body>(body));
}

}  // namespace kolu
