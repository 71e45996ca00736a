// What a draw instance knows of the object that owns it: the per-draw hook
// that the owner's pre-draw callback runs (actors implement it). The library
// keeps no other tie to its owners.
#pragma once

class DrawOwner {
  public:
    // Runs while the owning instance is drawn; nothing by default.
    virtual void Slot5() {}

  protected:
    DrawOwner() = default;
    DrawOwner(const DrawOwner &) = default;
    DrawOwner &operator=(const DrawOwner &) = default;
    ~DrawOwner() = default;
};
