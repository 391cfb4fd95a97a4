# Shared by scripts/run and scripts/test: the Debian packages the build needs,
# installed only when missing.

TAV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

TAV_BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev zlib1g-dev
  libsane-dev libsane1
  libwebp-dev libavif-dev libheif-dev libjxl-dev libtiff-dev
  liblcms2-dev libxcb1-dev
)

# Installing and packaging: the checkers of the desktop entry, the manual
# pages and the Debian package, and cpack's dpkg-shlibdeps.
TAV_PACKAGE_PACKAGES=(
  desktop-file-utils man-db dpkg-dev lintian
)

TAV_TEST_PACKAGES=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev ccache
  clang libclang-rt-14-dev
  imagemagick netpbm libtiff-tools giflib-tools gifsicle python3-pil
  libjpeg-turbo-progs pngcheck icoutils libvips-tools
  xvfb xauth x11-apps time sane-utils libxcb1-dev libxcb-xtest0-dev
  xdg-utils poppler-utils
  "${TAV_PACKAGE_PACKAGES[@]}"
  ffmpeg
  libimage-exiftool-perl
  libwmf-bin fonts-urw-base35 emf2svg librsvg2-bin
  python3-html5lib
  webp libavif-bin libheif-examples libjxl-tools
  liblcms2-utils colord-data
)

tav_install() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

tav_jobs() { nproc 2>/dev/null || echo 2; }
