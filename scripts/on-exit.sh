# Sourced by the scripts that start things: one list of exit actions for the
# whole script, so that each part cleans up after itself without replacing
# what another part asked for.
#   tavri_on_exit CMD    runs CMD (a shell command line) when the script exits,
#                        before the actions added earlier; a failing action
#                        does not stop the others
# A subshell that adds an action starts a list of its own: the actions of
# the script around it stay with that script.
[ -n "${_tavri_on_exit_loaded:-}" ] && return 0
_tavri_on_exit_loaded=1
_tavri_exit_actions=()
_tavri_exit_owner=

tavri_on_exit() {
  if [ "$_tavri_exit_owner" != "$BASHPID" ]; then
    _tavri_exit_actions=()
    _tavri_exit_owner=$BASHPID
  fi
  _tavri_exit_actions+=("$1")
  trap _tavri_run_exit_actions EXIT
}

_tavri_run_exit_actions() {
  local i
  for ((i = ${#_tavri_exit_actions[@]} - 1; i >= 0; i--)); do
    eval "${_tavri_exit_actions[i]}" || true
  done
  _tavri_exit_actions=()
}
