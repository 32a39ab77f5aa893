// A library the "missing dependency" fake runtime imports from; tests never deploy it.
extern "C" __declspec(dllexport) int corvane_absent_dependency() {
    return 1;
}
