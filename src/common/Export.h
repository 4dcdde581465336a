#pragma once

// Everything the library builds is hidden unless marked here: plug-ins see the classes and
// functions they are meant to call, and nothing of the internals.
#if defined(__GNUC__)
#define TESK_API __attribute__((visibility("default")))
#else
#define TESK_API
#endif
