#pragma once

namespace osciloskop {

// How the window starts a stream component: Launch through the window's own field that
// holds the component, and once more if that fails; the second result is not looked at
// (a stream that cannot start keeps its reason in its ErrorMessage). A field that holds no
// component starts nothing.
template <class Stream>
void LaunchWithRetry(Stream*& field) {
  if (field && !field->Launch(&field)) field->Launch(&field);
}

}  // namespace osciloskop
