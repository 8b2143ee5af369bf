// Build identification of the plug-in host, shown in its start-up log.
extern "C" const char *plughost_build_version(void) { return "V1.0.0"; }
