// The target that holds the precompiled headers needs one source of its own.
