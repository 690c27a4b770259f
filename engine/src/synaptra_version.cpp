extern "C" const char *synaptraVersion() { return "1.0"; }
