// gxtkObject: the common base of the native host's objects (the application
// host, the graphics, input and audio devices, surfaces and samples).
//
// It adds nothing to Object: it only marks a class as belonging to the host,
// so that every host object is a collected object (runtime/gc.h) and follows
// the collector's rules: allocated with new, never deleted by hand, its
// object-typed fields stored through gc_assign and traced by its mark().
#pragma once

#include "runtime/gc.h"

class gxtkObject : public Object {};
