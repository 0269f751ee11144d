// Running part of a test in a child process with a mount namespace of its
// own: the mounts it makes (a read-only view of a folder, a small full
// tmpfs) vanish with it and are never seen by the rest of the machine.
#pragma once

#include <functional>
#include <string>

namespace record_testing {

struct ChildOutcome {
    bool ran = false;      // false: the namespace could not be made
    std::string failures;  // what the child found wrong, one line each
};

// Runs `body` in a forked child inside a private mount namespace. The body
// appends a line to its argument for every check that fails. Waits at most
// `timeoutSeconds` for the child.
ChildOutcome RunInPrivateMountNamespace(const std::function<void(std::string& failures)>& body,
                                        int timeoutSeconds = 60);

}  // namespace record_testing
