// Stands for libdispatch, <dispatch/dispatch.h>: queues, asynchronous submission, time, and
// dispatch sources. In Objective-C dispatch objects are Objective-C objects (<os/object.h>),
// elsewhere opaque pointers.
#pragma once

#include <stdint.h>

#ifdef __OBJC__
#include <objc/NSObject.h>
#endif

#pragma clang assume_nonnull begin

#ifdef __OBJC__
// <os/object.h>: OS_OBJECT_DECL_CLASS(name).
@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
@protocol OS_dispatch_source <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_object>* dispatch_object_t;
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_source>* dispatch_source_t;
#else
typedef struct dispatch_object_s* dispatch_object_t;
typedef struct dispatch_queue_s* dispatch_queue_t;
typedef struct dispatch_source_s* dispatch_source_t;
#endif

// <dispatch/base.h>
typedef void (^dispatch_block_t)(void);

// <sys/qos.h>
typedef unsigned int qos_class_t;
#define QOS_CLASS_USER_INTERACTIVE ((qos_class_t)0x21)
#define QOS_CLASS_USER_INITIATED ((qos_class_t)0x19)
#define QOS_CLASS_DEFAULT ((qos_class_t)0x15)
#define QOS_CLASS_UTILITY ((qos_class_t)0x11)
#define QOS_CLASS_BACKGROUND ((qos_class_t)0x09)

// <dispatch/time.h>
typedef uint64_t dispatch_time_t;
#define NSEC_PER_SEC 1000000000ull
#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)

extern "C" {

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

// <dispatch/queue.h>
dispatch_queue_t dispatch_get_main_queue(void);
dispatch_queue_t dispatch_get_global_queue(intptr_t identifier, uintptr_t flags);
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);

// <dispatch/object.h>
void dispatch_resume(dispatch_object_t object);

// <dispatch/source.h>
typedef const struct dispatch_source_type_s* dispatch_source_type_t;
extern const struct dispatch_source_type_s _dispatch_source_type_read;
extern const struct dispatch_source_type_s _dispatch_source_type_write;
extern const struct dispatch_source_type_s _dispatch_source_type_signal;
#define DISPATCH_SOURCE_TYPE_READ (&_dispatch_source_type_read)
#define DISPATCH_SOURCE_TYPE_WRITE (&_dispatch_source_type_write)
#define DISPATCH_SOURCE_TYPE_SIGNAL (&_dispatch_source_type_signal)

// Non-null in the header's annotation, though documented to give NULL when the source cannot
// be made (for example for a bad descriptor).
dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle,
                                         uintptr_t mask, dispatch_queue_t _Nullable queue);
void dispatch_source_set_event_handler(dispatch_source_t source,
                                       dispatch_block_t _Nullable handler);
void dispatch_source_cancel(dispatch_source_t source);
}

#pragma clang assume_nonnull end
