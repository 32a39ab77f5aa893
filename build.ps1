<#
.SYNOPSIS
    Builds CorvaneWeather.exe on Windows and puts the web folder beside it.

.DESCRIPTION
    Needs CMake 3.25+, Node.js 20+ (the map page's libraries come from npm), a vcpkg clone named
    by VCPKG_ROOT, and either Visual Studio 2022 with the C++ workload (-Compiler msvc) or a
    MinGW-w64 g++ with Ninja on PATH (-Compiler mingw). The result is a ready-to-copy folder,
    build\windows-<compiler>\dist\CorvaneWeather\ with CorvaneWeather.exe and web\, and the same
    folder zipped as build\windows-<compiler>\dist\CorvaneWeather-1.0.0-win64.zip (the build's
    corvane_package target, as in the Debian cross build).

.EXAMPLE
    .\build.ps1
    .\build.ps1 -Compiler mingw -Configuration Debug -Tests
#>
param(
    [ValidateSet('msvc', 'mingw')] [string] $Compiler = 'msvc',
    [ValidateSet('Release', 'Debug')] [string] $Configuration = 'Release',
    [switch] $Tests
)

$ErrorActionPreference = 'Stop'
Set-Location $PSScriptRoot

function Require-Command([string] $Name, [string] $Hint) {
    if (-not (Get-Command $Name -ErrorAction SilentlyContinue)) {
        throw "$Name was not found. $Hint"
    }
}

function Invoke-Checked([string] $Program, [string[]] $Arguments) {
    & $Program @Arguments
    if ($LASTEXITCODE -ne 0) {
        throw "$Program $($Arguments -join ' ') failed with exit code $LASTEXITCODE"
    }
}

Require-Command cmake 'Install CMake 3.25 or later.'
Require-Command npm 'Install Node.js 20 or later.'
if (-not $env:VCPKG_ROOT) {
    throw 'Set VCPKG_ROOT to a vcpkg clone (https://github.com/microsoft/vcpkg).'
}
$vcpkg = Join-Path $env:VCPKG_ROOT 'vcpkg.exe'
if (-not (Test-Path $vcpkg)) {
    throw "vcpkg.exe not found in $env:VCPKG_ROOT; run bootstrap-vcpkg.bat there first."
}

# nlohmann-json stays at the version the override pins; versioned manifests need a baseline.
if (-not (Select-String -Path vcpkg.json -Pattern '"builtin-baseline"' -Quiet)) {
    Invoke-Checked $vcpkg @('x-update-baseline', '--add-initial-baseline')
}

Invoke-Checked npm @('ci', '--no-audit', '--no-fund')

$build = Join-Path 'build' "windows-$Compiler"
$configure = @(
    '-S', '.', '-B', $build,
    "-DCMAKE_TOOLCHAIN_FILE=$env:VCPKG_ROOT\scripts\buildsystems\vcpkg.cmake",
    "-DCORVANE_BUILD_TESTS=$(if ($Tests) { 'ON' } else { 'OFF' })"
)
if ($Tests) {
    $configure += '-DVCPKG_MANIFEST_FEATURES=tests'
}
if ($Compiler -eq 'msvc') {
    $configure += @('-G', 'Visual Studio 17 2022', '-A', 'x64',
                    '-DVCPKG_TARGET_TRIPLET=x64-windows-static',
                    '-DCMAKE_MSVC_RUNTIME_LIBRARY=MultiThreaded$<$<CONFIG:Debug>:Debug>')
} else {
    Require-Command g++ 'Put a MinGW-w64 (POSIX threads) g++ on PATH.'
    Require-Command ninja 'Put Ninja on PATH.'
    $configure += @('-G', 'Ninja', "-DCMAKE_BUILD_TYPE=$Configuration",
                    '-DVCPKG_TARGET_TRIPLET=x64-mingw-static',
                    '-DCMAKE_EXE_LINKER_FLAGS=-static -static-libgcc -static-libstdc++')
}
Invoke-Checked cmake $configure
Invoke-Checked cmake @('--build', $build, '--config', $Configuration)
if ($Tests) {
    Invoke-Checked ctest @('--test-dir', $build, '-C', $Configuration, '--output-on-failure',
                           '-LE', 'e2e|page|linux')
}

# The build's corvane_package target made the ready-to-copy folder and its zip.
$package = Join-Path $build 'dist\CorvaneWeather'
if (-not (Test-Path (Join-Path $package 'CorvaneWeather.exe')) -or
    -not (Test-Path (Join-Path $package 'web\index.html'))) {
    throw "The build did not produce $package with CorvaneWeather.exe and web\index.html."
}
$zip = Get-ChildItem -Path (Join-Path $build 'dist') -Filter 'CorvaneWeather-*-win64.zip' |
    Select-Object -First 1
Write-Host "Built $package\CorvaneWeather.exe with its web folder, and $($zip.FullName)."
