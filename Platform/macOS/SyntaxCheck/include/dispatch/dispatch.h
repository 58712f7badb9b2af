// Stand-in for <dispatch/dispatch.h> for the syntax-only check: the main queue
// and dispatch_async, as documented. With Objective-C and ARC the SDK makes
// queues Objective-C objects, and so does this.
#pragma once

#import <Foundation/Foundation.h>

@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
@protocol OS_dispatch_queue_main <OS_dispatch_queue>
@end
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_queue_main>* dispatch_queue_main_t;
typedef void (^dispatch_block_t)(void);

extern "C" {
// An inline function in the SDK, returning the main queue object.
dispatch_queue_main_t dispatch_get_main_queue(void);
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
}
