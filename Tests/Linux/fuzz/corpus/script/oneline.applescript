tell app "System Events" to tell appearance preferences to set dark mode to true
