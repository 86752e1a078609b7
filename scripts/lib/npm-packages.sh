# npm_packages: the npm packages of package-lock.json in node_modules/, exactly as it pins them
# (npm ci), installed again only when it changed since the last install. One install at a time
# (a lock on package-lock.json), since the web build and the lint can ask for them at once.
# Run from the project's root.
npm_packages() {
  (
    flock 9
    if ! cmp -s package-lock.json node_modules/.velmorastik-lock; then
      npm ci --no-audit --no-fund --loglevel=error
      cp package-lock.json node_modules/.velmorastik-lock
    fi
  ) 9<package-lock.json
}
