#pragma once

// Everything a model or a caller of the object store needs. See ObjectStore.h
// (opening, writing, querying), Schema.h (declaring a class), Object.h (typed
// models), Query.h (predicates, results) and Notifications.h (observers).
#include "platform/store/Notifications.h"
#include "platform/store/Object.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/Query.h"
#include "platform/store/Schema.h"
#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"
