#pragma once

#include <string>

namespace wren {

/// Keeps a second island of the same user from starting: holds a name in the abstract Unix
/// socket namespace for the life of the process, so nothing is written to disk and the name is
/// released by the kernel however the process ends.
class SingleInstance {
  public:
    /// Tries to take `name` (the default is per user: "wrenisland-<uid>").
    explicit SingleInstance(const std::string& name = defaultName());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// True when this process holds the name; false when another process holds it. Any other
    /// failure (no sockets at all) counts as holding it, so the island still starts.
    bool isFirst() const { return first_; }

    static std::string defaultName();

  private:
    int fd_ = -1;
    bool first_ = true;
};

}  // namespace wren
