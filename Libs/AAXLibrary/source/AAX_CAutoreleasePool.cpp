// The autorelease-pool holder: this platform has no pool, so there is nothing to open or drain.
#include "AAX_CAutoreleasePool.h"

AAX_CAutoreleasePool::AAX_CAutoreleasePool() : mPool(nullptr) {}

AAX_CAutoreleasePool::~AAX_CAutoreleasePool() { mPool = nullptr; }
