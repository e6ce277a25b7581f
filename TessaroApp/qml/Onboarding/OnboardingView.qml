import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// First run: the brand column with the three pages on the left, the current page
// (sign-in, domain, audio) on the right and the footer below it. What shows when comes
// from OnboardingPresentation; the fields write the model's values directly.
Item {
    id: view

    readonly property int page: OnboardingPresentation.page

    RowLayout {
        anchors.fill: parent
        spacing: 0

        OnboardingBrand {
            Layout.fillHeight: true
            Layout.preferredWidth: Math.round(Math.max(348, view.width * 0.34))
        }

        // The current page and the footer.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            ScrollView {
                id: scroller
                Layout.fillWidth: true
                Layout.fillHeight: true
                contentWidth: availableWidth
                clip: true
                property FocusIntoView focusFollower: FocusIntoView { flickable: scroller.contentItem }
                // The keyboard scrolls it by moving the focus, which the view follows.
                focusPolicy: Qt.NoFocus
                ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
                ScrollBar.vertical: DesignScrollBar {
                    scrolls: "Scroll the page"
                    parent: scroller
                    x: scroller.mirrored ? 0 : scroller.width - width
                    y: scroller.topPadding
                    height: scroller.availableHeight
                }

                Item {
                    width: scroller.availableWidth
                    implicitHeight: pages.implicitHeight + 56 + DesignSystem.margin * 2

                    ColumnLayout {
                        id: pages
                        x: Math.max(DesignSystem.margin * 2, (parent.width - width) / 2)
                        y: 56
                        width: Math.min(parent.width - DesignSystem.margin * 4, 520)
                        spacing: 0

                        SignInPage {
                            visible: view.page === 0
                        }

                        DomainPage {
                            visible: view.page === 1
                        }

                        AudioPage {
                            visible: view.page === 2
                        }
                    }
                }
            }

            OnboardingFooter {
                Layout.fillWidth: true
            }
        }
    }
}
