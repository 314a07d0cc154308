// The library that the needs-dependency variant of the stand-in driver links against. Tests
// copy the variant without it: a driver whose own libraries were not installed.
namespace vorn::sim {

extern "C" int VornSimDependencyAnswer() {
    return 1;
}

}  // namespace vorn::sim
