// Replaced by the platform adapters.
