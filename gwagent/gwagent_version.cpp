// Build identification of the agent, shown in its start-up log.
extern "C" const char *gwagent_build_version(void) { return "V1.0.0"; }
