#pragma once

// Raises the soft open-file limit to the hard one, as servers do, so that a
// burst of abandoned transfers (each holds its file for a while) cannot
// starve the requests that follow. Returns the new soft limit.
long RaiseOpenFileLimit();
