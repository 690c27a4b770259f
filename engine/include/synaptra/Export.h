#pragma once

#define SYNAPTRA_EXPORT __attribute__((visibility("default")))
