// Replaced by the container engine.
