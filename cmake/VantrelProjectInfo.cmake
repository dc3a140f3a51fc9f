# Who makes Vantrel, where it lives and under which licence: the one place
# the Debian packages' control fields and copyright files, and the AppStream
# description, take these from.
set(VANTREL_HOMEPAGE "https://vantrel.example.org/")
set(VANTREL_MAINTAINER_NAME "The Vantrel developers")
set(VANTREL_MAINTAINER_EMAIL "vantrel@example.org")
set(VANTREL_MAINTAINER "${VANTREL_MAINTAINER_NAME} <${VANTREL_MAINTAINER_EMAIL}>")
set(VANTREL_COPYRIGHT_HOLDER "The Vantrel developers")
# The years of the copyright notice: the first release's to the latest's.
set(VANTREL_COPYRIGHT_YEARS "2026")
# An SPDX identifier, as both AppStream and Debian's copyright format name it.
set(VANTREL_LICENSE "Apache-2.0")
