extern "C" const char *merovantiaVersion() {
    return "1.0";
}
