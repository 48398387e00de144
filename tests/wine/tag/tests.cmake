# The statistics tag under Wine (registered from the native tree).
tavri_wine_test(NAME wine_tag
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/tag.sh
                TIMEOUT 600)

# Expansions in one host process leak no handles and no memory (the full
# 1,000-expansion soak with its figures: scripts/bench-tag.sh).
tavri_wine_test(NAME wine_tag_soak
                COMMAND --script ${PROJECT_SOURCE_DIR}/scripts/bench-tag.sh --inside-wine
                        --soak-only --soak 200 --max-growth 4 256
                TIMEOUT 300)
