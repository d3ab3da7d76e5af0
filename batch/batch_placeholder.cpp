// Replaced by the scan.
