// (filled in with the COM call helpers)
