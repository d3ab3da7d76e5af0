// Replaced by the codec.
