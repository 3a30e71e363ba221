// Intentionally empty until this folder has code of its own.
