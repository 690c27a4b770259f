#pragma once

// Routes the object store's problem reports (a damaged file moved aside, a
// write rolled back, a failed query) to DevLogger. Called once at start-up,
// before the store is opened.
void installObjectStoreReporter();
