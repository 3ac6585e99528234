// The decade_sim_engine library carries no code of its own: it brings in the simulator
// and makes sure decade-sim and the stand-in GPIB library are built before its users.
namespace sim {
int EngineLibraryMarker() {
    return 0;
}
}  // namespace sim
