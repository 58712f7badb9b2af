// Stand-in for <os/log.h> for the syntax-only check. os_log_with_type is a
// macro in the SDK that requires a constant format string and checks its
// arguments against the placeholders, privacy annotations included; the macro
// below does the same with the same compiler built-ins.
#pragma once

#import <Foundation/Foundation.h>

#include <stdint.h>

@protocol OS_os_log <NSObject>
@end
typedef NSObject<OS_os_log>* os_log_t;

typedef NS_ENUM(uint8_t, os_log_type_t){
    OS_LOG_TYPE_DEFAULT = 0x00,
    OS_LOG_TYPE_ERROR = 0x10,
};

extern "C" {
extern void* __dso_handle;
os_log_t os_log_create(const char* subsystem, const char* category) __attribute__((ns_returns_retained));
bool os_log_type_enabled(os_log_t oslog, os_log_type_t type);
void _os_log_impl(void* dso, os_log_t log, os_log_type_t type, const char* format, uint8_t* buf, uint32_t size);
}

#define os_log_with_type(log, type, format, ...)                                                                   \
    __extension__({                                                                                                \
        os_log_t _log_tmp = (log);                                                                                 \
        os_log_type_t _type_tmp = (type);                                                                          \
        if (os_log_type_enabled(_log_tmp, _type_tmp)) {                                                            \
            static_assert(__builtin_constant_p(format), "format/label/description argument must be a string constant"); \
            uint8_t _os_log_buf[__builtin_os_log_format_buffer_size(format, ##__VA_ARGS__)];                       \
            _os_log_impl(&__dso_handle, _log_tmp, _type_tmp, format,                                                \
                         (uint8_t*)__builtin_os_log_format(_os_log_buf, format, ##__VA_ARGS__),                    \
                         (uint32_t)sizeof(_os_log_buf));                                                           \
        }                                                                                                          \
    })
