// The set's recovery files that a join from disks copies off the disks into work files in the
// target folder, each read (its packets checked) as it comes, until their recovery slices are
// as many as the pieces lost. The files go when the copies do, however the join ends.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "engine/Hooks.h"
#include "engine/recovery/RecoverySources.h"

class RecoveryCopies {
  public:
    // Work files beside the output at outputPath, of the set baseName.
    RecoveryCopies(JoinHooks& hooks, const std::string& outputPath, const std::string& baseName);
    ~RecoveryCopies() { RemoveAll(); }
    RecoveryCopies(const RecoveryCopies&) = delete;
    RecoveryCopies& operator=(const RecoveryCopies&) = delete;

    // Copies the set's recovery files in folder not copied before (by name); taken gets how
    // many. false after telling the user, or on a stop.
    bool TakeFrom(const std::string& folder, size_t& taken);
    // The distinct usable recovery slices of the set that the files copied hold.
    size_t Slices() const { return sources_.set ? sources_.slices.size() : 0; }
    const RecoverySources& Sources() const { return sources_; }
    // The names of the files copied, as on their disks.
    const std::vector<std::string>& Names() const { return names_; }
    bool Has(const std::string& name) const;
    // Whether the last TakeFrom ended in a stop.
    bool Stopped() const { return stopped_; }
    void RemoveAll();

  private:
    // Copies the file at path into a new work file and reads it; false as TakeFrom.
    bool Take(const std::string& path, const std::string& name);
    bool KeepGoing() { return hooks_.KeepGoing(); }

    JoinHooks& hooks_;
    const std::string outputPath_, baseName_;
    std::vector<std::string> names_;
    std::vector<std::string> workPaths_; // made by this join, to go at its end
    RecoverySources sources_;
    bool stopped_ = false;
};
