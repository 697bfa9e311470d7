// The library holds compiled resources only.
