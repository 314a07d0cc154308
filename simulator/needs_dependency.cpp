// Makes the needs-dependency variant of the stand-in driver import its dependency, so that the
// loader must find that library before the driver loads.
namespace vorn::sim {

extern "C" int VornSimDependencyAnswer();

extern "C" int VornSimAskDependency() {
    return VornSimDependencyAnswer();
}

}  // namespace vorn::sim
